#include "pool/work_slot.h"

namespace OLK {

const size_t WorkSlot::m_sizeOfThisAligned = WorkSlot::sizeInBytes();

}  // namespace OLK
