#include "config/ProductName.h"

#include "config/Scramble.h"

namespace quietmon {

std::string productName() {
    return unscramble("hvljjljhkvikfgjkiojskmitjjkmefhkkmjjjlkkjjjvlj");
}

} // namespace quietmon
