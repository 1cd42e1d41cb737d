#include "pli/writer_api.h"

namespace tavri::pli {

const txwApiTable &g_txw = *txw_GetApiTable();

}  // namespace tavri::pli
