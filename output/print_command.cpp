// Printing the realtime values or the history table.

#include "app/form1.h"
#include "platform/output_seams.h"

namespace tesvaron {

void Form1::Button_print_Click() {}

} // namespace tesvaron
