#include "platform/output_seams.h"

namespace tesvaron {

std::shared_ptr<OutputSeams> OutputSeams::real()
{
    return nullptr;
}

} // namespace tesvaron
