// Reading values out of a device's reply. Every reader stays within the
// zero-terminated text it is given and bounds what it copies, so a reply
// without its label, without a carriage return, over-long or binary gives
// "not read" and never a read beyond its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace halv::reply {

// The text just after the first carriage return, or the whole text when
// there is none.
const char* AfterFirstCr(const char* text);
const char* SkipWhite(const char* text);
const char* SkipCarriageReturns(const char* text);
// The point `offset` characters after the start of `label` in `text`, or
// null when the label is missing or the text ends before that point.
const char* AfterLabel(const char* text, const char* label, size_t offset);

// "%d": optional white space, sign and digits, saturated to 32 bits.
bool ReadInt(const char* text, int32_t* value, const char** end = nullptr);
bool ReadUnsigned(const char* text, uint32_t* value, const char** end = nullptr);
bool ReadHex(const char* text, uint32_t* value);
bool ReadDouble(const char* text, double* value);
// Up to `count` integers separated by white space; returns how many were read.
int ReadInts(const char* text, int32_t* values, int count);
int ReadUnsigneds(const char* text, uint32_t* values, int count);

// "%Ns": skips white space and takes the following non-blank characters, at
// most max_chars of them. Empty when there are none.
std::string_view ReadWord(const char* text, size_t max_chars);
// The characters up to the next carriage return (or the end), at most
// max_chars of them.
std::string_view ReadLine(const char* text, size_t max_chars);

bool Contains(const char* text, const char* part);

}  // namespace halv::reply
