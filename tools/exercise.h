// An exercise of the guide: the 25 statements shown for a seed and their key, worked out as a learner does.
#pragma once
#include <cstdint>
#include <string>

// The listing of `tessel.html#tick=seed` and the key, the cells after carrying out every statement in order
// from the start-up state, as the guide prints them.
std::string ExerciseText(uint32_t seed);
