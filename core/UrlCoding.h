#pragma once

#include <string>

// Percent-encodes every byte except letters, digits and "-_.~". An escape already present ('%' and
// two hexadecimal digits) passes through unchanged; any other '%' is copied as it is.
std::string urlEncode(std::string text);

// Turns "%XX" escapes back into bytes and '+' into a blank. A '%' without two hexadecimal digits
// after it is copied as it is.
std::string urlDecode(std::string text);
