// Counts the allocations made through operator new on every thread but the
// one that started the program. Only a program that links
// allocation_counter.cpp counts: that file replaces the global allocation
// functions.
#pragma once

#include <cstdint>

namespace testing_support {

int64_t allocations_off_main_thread();

}  // namespace testing_support
