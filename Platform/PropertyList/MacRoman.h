#pragma once

namespace Platform {

// The Unicode code point of a byte in Mac OS Roman ("macintosh"), the encoding that older
// property lists may declare.
char16_t macRomanToUnicode(unsigned char byte);

}  // namespace Platform
