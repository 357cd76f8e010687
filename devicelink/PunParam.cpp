#include "devicelink/PunParam.h"

namespace quillstone {

std::int32_t DeviceHandle = 0;
std::uint16_t CommandWord = 0;
bool ScrambleOptions = false;

}  // namespace quillstone
