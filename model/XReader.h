// Reading back the vertex positions of a DirectX .x text mesh of the
// export's layout: the vertex count three characters after the first '{',
// then three numbers per vertex separated by ';'. The text comes from the
// user's other tools, so every read stays inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The vertex count of a .x file of the export's layout: the decimal number
// that starts three characters after the first '{'. at receives where it
// starts. False when there is no '{' or no count there.
bool ReadXVertexCount(const char* data, size_t size, uint32_t& count, size_t& at);

// The count positions that follow the count at at, in file order (x, then
// the model's z, then its y, as the export writes them). False, with a
// reason, when the text ends early or a number is malformed or not finite.
bool ReadXPositions(const char* data, size_t size, size_t at, uint32_t count, std::vector<float>& xyz,
                    std::string& why);
