#include "output/text_files.h"

#include <windows.h>

namespace tesvaron {

// Qt without ICU knows no GBK; Windows' own code page 936 gives the same bytes.
QByteArray toGbk(const QString& text)
{
    constexpr UINT Gbk = 936;
    if (text.isEmpty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = int(text.size());
    const int size = ::WideCharToMultiByte(Gbk, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    QByteArray bytes(size, Qt::Uninitialized);
    ::WideCharToMultiByte(Gbk, 0, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace tesvaron
