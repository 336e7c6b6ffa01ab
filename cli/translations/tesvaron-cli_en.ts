<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CliText</name>
    <message>
        <source>串口号 %1 无效：只有 COM1 到 COM16</source>
        <translation>invalid port number %1: only COM1 to COM16</translation>
    </message>
    <message>
        <source>--port 需要 COMn 或设备路径</source>
        <translation>--port needs COMn or a device path</translation>
    </message>
    <message>
        <source>缺少命令：ports、find、read 或 watch</source>
        <translation>missing command: ports, find, read or watch</translation>
    </message>
    <message>
        <source>未知的命令：%1</source>
        <translation>unknown command: %1</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>unexpected argument: %1</translation>
    </message>
    <message>
        <source>%1 不接受选项 %2</source>
        <translation>%1 does not take the option %2</translation>
    </message>
    <message>
        <source>%1 后面缺少值</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>无法识别输出文件 %1 的类型：请用 .txt、.csv、.xls、.xlsx 或 -</source>
        <translation>cannot tell the type of the output file %1: use .txt, .csv, .xls, .xlsx or -</translation>
    </message>
    <message>
        <source>--interval %1 无效：应为 0.1 到 86400 秒</source>
        <translation>invalid --interval %1: must be 0.1 to 86400 seconds</translation>
    </message>
    <message>
        <source>--duration %1 无效：应为带单位的时长，如 30s、10m、2h</source>
        <translation>invalid --duration %1: must be a time with a unit, such as 30s, 10m, 2h</translation>
    </message>
    <message>
        <source>--count %1 无效：应为正整数</source>
        <translation>invalid --count %1: must be a positive whole number</translation>
    </message>
    <message>
        <source>--csv 需要文件名</source>
        <translation>--csv needs a file name</translation>
    </message>
    <message>
        <source>read 需要 -o FILE 或 --json</source>
        <translation>read needs -o FILE or --json</translation>
    </message>
    <message>
        <source>--json 与写到标准输出的 - 不能同时使用</source>
        <translation>--json cannot be used together with - (standard output)</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli find [--port COMn|DEVICE] [--json]
依次向 COM1 到 COM16（或 --port 指定的串口）发送握手请求，每个串口最多等 0.6 秒，
输出第一个应答的仪器所在的 COM 号和设备。找不到仪器时退出码为 1；有串口因权限
被拒绝时说明原因，退出码为 3。
  --json   输出 JSON 对象：com（给设备路径时为 null）、device
</source>
        <translation>Usage: tesvaron-cli find [--port COMn|DEVICE] [--json]
Sends the handshake request to COM1 to COM16 in turn (or to the port --port names), waiting
at most 0.6 s on each, and prints the COM number and device of the first instrument that
answers. Exit code 1 when no instrument is found; when a port was refused for lack of
permission, it says why and the exit code is 3.
  --json   print a JSON object: com (null when a device path was given), device
</translation>
    </message>
    <message>
        <source>%1  通讯失败：%2</source>
        <translation>%1  communication failed: %2</translation>
    </message>
    <message>
        <source>无法写入标准输出</source>
        <translation>cannot write to standard output</translation>
    </message>
    <message>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>%1 串口错误：%2</source>
        <translation>%1 port error: %2</translation>
    </message>
    <message>
        <source>%1 的回复校验错误</source>
        <translation>the reply from %1 has a wrong checksum</translation>
    </message>
    <message>
        <source>%1 没有应答</source>
        <translation>%1 does not answer</translation>
    </message>
    <message>
        <source>无法打开 %1：%2</source>
        <translation>cannot open %1: %2</translation>
    </message>
    <message>
        <source>没有找到仪器：COM%1 到 COM%2 都没有应答</source>
        <translation>no instrument found: none of COM%1 to COM%2 answered</translation>
    </message>
    <message>
        <source>仪器在 %1</source>
        <translation>instrument on %1</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>文件夹 %1 不存在</source>
        <translation>the folder %1 does not exist</translation>
    </message>
    <message>
        <source>读取历史记录</source>
        <translation>reading history</translation>
    </message>
    <message>
        <source>%1 拒绝了请求，读取中止</source>
        <translation>%1 refused the request; reading stopped</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>cannot write %1: %2</translation>
    </message>
    <message>
        <source>仪器存有 %1 组记录，只读取了前 %2 组</source>
        <translation>the instrument holds %1 records; only the first %2 were read</translation>
    </message>
    <message>
        <source>仪器中没有历史记录</source>
        <translation>the instrument holds no history records</translation>
    </message>
    <message>
        <source>已读取 %1 组记录，写入 %2</source>
        <translation>read %1 records into %2</translation>
    </message>
    <message>
        <source>无法创建或打开</source>
        <translation>cannot create or open it</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>仪器拒绝（F1）</source>
        <translation>refused by the instrument (F1)</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>wrong checksum</translation>
    </message>
    <message>
        <source>串口错误（%1）</source>
        <translation>port error (%1)</translation>
    </message>
    <message>
        <source>（见 tesvaron-cli --help）</source>
        <translation> (see tesvaron-cli --help)</translation>
    </message>
    <message>
        <source>%1: 写入失败</source>
        <translation>%1: write failed</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli ports [--json]
列出 COM1 到 COM16 各自对应的设备，以及能否打开（ok / 无效 / 被占用 / 无权限 / 打开失败）。
  --json   输出一个 JSON 数组，每个串口一项：com、device、status
           （ok、not_found、in_use、no_permission、failed）
</source>
        <translation>Usage: tesvaron-cli ports [--json]
Lists the device behind each of COM1 to COM16 and whether it opens (ok / not found / in use / no permission / open failed).
  --json   print one JSON array, one item per port: com, device, status
           (ok, not_found, in_use, no_permission, failed)
</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli archive list [--json] [--from 日期] [--to 日期]
      tesvaron-cli archive export ID|last -o FILE
      tesvaron-cli archive report ID|last -o FILE.pdf --line 线路 --operator 检测人
             [--unit --line-number --tower --phase --checker --instrument --date
              --weather --temperature --humidity --conclusion 文字]
list 列出档案中的下载，最新的在前（日期为 YYYY-MM-DD，含当天）；export 把一次下载写成
.csv（UTF-8）或 .xlsx（数值单元格），- 为标准输出上的 CSV；report 生成 A4 检测报告 PDF。
档案与窗口程序共用；TESVARON_ARCHIVE 可指定另一个档案。
</source>
        <translation>Usage: tesvaron-cli archive list [--json] [--from DATE] [--to DATE]
      tesvaron-cli archive export ID|last -o FILE
      tesvaron-cli archive report ID|last -o FILE.pdf --line LINE --operator NAME
             [--unit --line-number --tower --phase --checker --instrument --date
              --weather --temperature --humidity --conclusion TEXT]
list shows the archive&apos;s downloads, newest first (dates are YYYY-MM-DD, that day included);
export writes one download as .csv (UTF-8) or .xlsx (numeric cells), - is CSV on standard
output; report makes an A4 inspection report PDF.
The archive is the window&apos;s; TESVARON_ARCHIVE names another.
</translation>
    </message>
    <message>
        <source>archive 缺少命令：list、export 或 report</source>
        <translation>archive needs a command: list, export or report</translation>
    </message>
    <message>
        <source>未知的 archive 命令：%1</source>
        <translation>unknown archive command: %1</translation>
    </message>
    <message>
        <source>%1 %2 无效：应为 YYYY-MM-DD</source>
        <translation>%1 %2 is not valid: use YYYY-MM-DD</translation>
    </message>
    <message>
        <source>archive %1 不接受选项 %2</source>
        <translation>archive %1 does not take the option %2</translation>
    </message>
    <message>
        <source>archive %1 需要 ID 或 last</source>
        <translation>archive %1 needs an ID or last</translation>
    </message>
    <message>
        <source>archive %1 需要 -o FILE</source>
        <translation>archive %1 needs -o FILE</translation>
    </message>
    <message>
        <source>报告文件 %1 应以 .pdf 结尾</source>
        <translation>the report file %1 should end in .pdf</translation>
    </message>
    <message>
        <source>报告需要：%1（--line、--operator）</source>
        <translation>the report needs: %1 (--line, --operator)</translation>
    </message>
    <message>
        <source>无法识别输出文件 %1 的类型：请用 .csv、.xlsx 或 -</source>
        <translation>cannot tell the type of the output file %1: use .csv, .xlsx or -</translation>
    </message>
    <message>
        <source>完整</source>
        <translation>complete</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>cut short</translation>
    </message>
    <message>
        <source>（见 tesvaron-cli archive --help）</source>
        <translation> (see tesvaron-cli archive --help)</translation>
    </message>
    <message>
        <source>无法打开档案 %1：%2</source>
        <translation>cannot open the archive %1: %2</translation>
    </message>
    <message>
        <source>档案中没有下载 %1</source>
        <translation>the archive has no download %1</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli COMMAND [OPTIONS]
不用窗口查找、读取和监视无线高压测试仪。

命令：
  ports    列出 COM 号对应的串口设备
  find     查找仪器
  read     读取历史记录到文件
  watch    定时读取实时值
  archive  列出、导出档案中的下载，生成检测报告

  tesvaron-cli COMMAND --help   命令的说明
  tesvaron-cli --version        版本

文件名 - 表示标准输出；--json 给脚本用。信息按区域设置显示中文或英文。
退出码：0 完成，1 没有仪器或仪器未应答，2 用法错误，3 文件或串口错误。
</source>
        <translation>Usage: tesvaron-cli COMMAND [OPTIONS]
Finds, reads and watches the wireless high-voltage tester without a window.

Commands:
  ports    list the serial devices behind the COM numbers
  find     find the instrument
  read     read the history into a file
  watch    read the live value at intervals
  archive  list and export the archive&apos;s downloads, make inspection reports

  tesvaron-cli COMMAND --help   help on a command
  tesvaron-cli --version        version

The file name - means standard output; --json is for scripts. Messages are in Chinese or
English, following the locale.
Exit codes: 0 done, 1 no instrument or no answer, 2 usage error, 3 file or port error.
</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli read [--port COMn|DEVICE] [-o FILE] [--json] [--no-archive]
读取仪器中的全部历史记录（最多 99 组）并写入 FILE，格式由扩展名决定：
  .txt   与主程序保存的历史文本文件相同（GBK 固定列）
  .xls   .xlsx  与主程序导出的工作簿相同
  .csv   UTF-8，列为 no,ground_kv,line_kv,current_a，数值不带单位
  -      CSV 写到标准输出
  --json 把记录作为一个 JSON 对象写到标准输出：total、reported、records（每组
         no、ground_kv、line_kv、current_a）；可与 -o FILE 同用
不给 --port 时先像 find 一样查找仪器。文件只在读取完整后一次写入。
读到的记录像主程序一样存入档案（中断的也存，标为中断）；--no-archive 不存。
</source>
        <translation>Usage: tesvaron-cli read [--port COMn|DEVICE] [-o FILE] [--json] [--no-archive]
Reads every history record of the instrument (at most 99) into FILE, in the format its
extension names:
  .txt   the window&apos;s history text file (GBK, fixed columns)
  .xls   .xlsx  the window&apos;s workbook
  .csv   UTF-8, columns no,ground_kv,line_kv,current_a, numbers without units
  -      CSV on standard output
  --json print the records as one JSON object on standard output: total, reported,
         records (each no, ground_kv, line_kv, current_a); may be used with -o FILE
Without --port it first searches for the instrument as find does. The file is written
in one go once the whole history has been read.
The records read are filed into the archive as the window does (a download cut short too,
marked as such); --no-archive skips that.
</translation>
    </message>
    <message>
        <source>用法：tesvaron-cli watch [--port COMn|DEVICE] [--interval S] [--count N]
                         [--duration T] [--csv FILE] [--json] [--no-archive]
每 S 秒（默认 1.5，可为 0.1 到 86400）读取一次实时值，每次输出一行：发出请求时的本地
时间（ISO 8601，带时区）、对地电压、线电压、电流（与主程序显示的相同）和原始数值
volt（0.1 kV）、current、code（电流的小数位代码）。到下一次读取时（最多 2.5 秒）
仍无应答的一次输出“通讯失败”。不给 --port 时先像 find 一样查找仪器。
  --count N     读取 N 次后结束
  --duration T  读取 T 时长后结束，T 如 30s、10m、2h
                （都不给时直到 Ctrl-C 或 SIGTERM）
  --csv FILE    同时把每次的结果追加到 UTF-8 CSV 文件，逐行写入；文件为空时先写表头
                time,status,ground_kv,line_kv,current_a,volt_raw,current_raw,code
                FILE 为 - 时 CSV 代替文字行写到标准输出
  --json        每次输出一行 JSON 对象代替文字行：time、status（ok、no_reply、
                refused、bad_checksum、port_error）、ground_kv、line_kv、current_a、
                volt_raw、current_raw、code、over_range（超量程时数值为 null）
读到的实时值像主程序一样存入档案；--no-archive 不存。
至少有一次应答时退出码为 0。
</source>
        <translation>Usage: tesvaron-cli watch [--port COMn|DEVICE] [--interval S] [--count N]
                          [--duration T] [--csv FILE] [--json] [--no-archive]
Reads the live value every S seconds (default 1.5, from 0.1 to 86400) and prints one line
each time: the local time of the request (ISO 8601 with offset), voltage to ground, line
voltage and current (as the window shows them) and the raw numbers volt (0.1 kV), current
and code (the decimals code of the current). A poll still unanswered when the next one is
due (at most 2.5 s) prints &quot;communication failed&quot;. Without --port it first searches for the
instrument as find does.
  --count N     stop after N polls
  --duration T  stop after polling for T, such as 30s, 10m, 2h
                (without either: until Ctrl-C or SIGTERM)
  --csv FILE    also append each result to a UTF-8 CSV file, one row at a time; an empty
                file first gets the header
                time,status,ground_kv,line_kv,current_a,volt_raw,current_raw,code
                with FILE -, the CSV goes to standard output instead of the text lines
  --json        print one JSON object per line instead of the text lines: time, status
                (ok, no_reply, refused, bad_checksum, port_error), ground_kv, line_kv,
                current_a, volt_raw, current_raw, code, over_range (over range: the
                numbers are null)
The live values read are filed into the archive as the window does; --no-archive skips that.
Exit code 0 when at least one poll was answered.
</translation>
    </message>
    <message>
        <source>下载 %1 已存入档案：%2</source>
        <translation>download %1 filed in the archive: %2</translation>
    </message>
</context>
<context>
    <name>PrivateFolder</name>
    <message>
        <source>它是用户 %1 的符号链接</source>
        <translation>it is a symbolic link of user %1</translation>
    </message>
    <message>
        <source>它不是文件夹</source>
        <translation>it is not a folder</translation>
    </message>
    <message>
        <source>它属于用户 %1，不属于当前用户（%2）</source>
        <translation>it belongs to user %1, not to the current user (%2)</translation>
    </message>
    <message>
        <source>组或其他用户可以写入（权限 %1）</source>
        <translation>group or others may write in it (mode %1)</translation>
    </message>
    <message>
        <source>无法创建</source>
        <translation>it cannot be created</translation>
    </message>
    <message>
        <source>不使用文件夹 %1：%2</source>
        <translation>not using the folder %1: %2</translation>
    </message>
    <message>
        <source>没有私有的运行文件夹，不使用端口链接和单实例检查（%1）</source>
        <translation>no private runtime folder; port links and the one-copy check are not used (%1)</translation>
    </message>
</context>
<context>
    <name>SerialBackend</name>
    <message>
        <source>COM%1: 没有对应的串口设备</source>
        <translation>COM%1: no serial device has this number</translation>
    </message>
    <message>
        <source>%1 指向的设备不存在</source>
        <translation>the device %1 points to does not exist</translation>
    </message>
    <message>
        <source>%1: 被其他程序占用（进程 %2）</source>
        <translation>%1: in use by another program (process %2)</translation>
    </message>
    <message>
        <source>%1: 被其他程序占用（flock）</source>
        <translation>%1: in use by another program (flock)</translation>
    </message>
    <message>
        <source>%1: 没有权限（%2）。请把用户加入 dialout 组后重新登录。</source>
        <translation>%1: permission denied (%2). Add the user to the dialout group and log in again.</translation>
    </message>
    <message>
        <source>%1: 被其他程序占用（%2）</source>
        <translation>%1: in use by another program (%2)</translation>
    </message>
    <message>
        <source>已打开</source>
        <translation>opened</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>被占用</source>
        <translation>in use</translation>
    </message>
    <message>
        <source>无权限</source>
        <translation>no permission</translation>
    </message>
    <message>
        <source>打开失败</source>
        <translation>open failed</translation>
    </message>
</context>
</TS>
