#include "config/ProductName.h"

#include "config/Scramble.h"

namespace quietmon {

std::string productName() {
    return Odsifruj("hvljjljhkvikfgjkiojskmitjjkmefhkkmjjjlkkjjjvlj");
}

} // namespace quietmon
