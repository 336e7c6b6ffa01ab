// Saving the realtime view and the history table.

#include "app/form1.h"
#include "platform/output_seams.h"

namespace tesvaron {

void Form1::Button_save_Click()
{
    if (RealMode)
        RealSave();
    else
        HistorySave();
}

void Form1::RealSave() {}
void Form1::HistorySave() {}
void Form1::ExcelExport(const QString&) {}

} // namespace tesvaron
