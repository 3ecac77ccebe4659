#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// number * numerator / denominator with a 64-bit product, rounded to the nearest
// integer (halves away from zero). Nothing when denominator is 0 or the result does
// not fit in 32 bits.
std::optional<int32_t> MulDivChecked(int32_t number, int32_t numerator, int32_t denominator);
// The same, with -1 for a failure, as the platform's own multiply-divide reports it.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// The program's own full path, symbolic links resolved (no length limit).
std::string ExecutablePath();
// The folder part of a path, with its final separator ("" when there is none).
std::string ExtractFilePath(const std::string& path);

// Zeroed memory for a table looked up at random all over, freed by FreeLookupTable with
// the same size; null when there is no memory. It is asked for as huge pages, so that a
// lookup does not miss the processor's address translation cache as well as its data
// cache; where the system gives none, it is ordinary pages mapped when first touched.
void* AllocateLookupTable(size_t bytes);
void FreeLookupTable(void* table, size_t bytes);
