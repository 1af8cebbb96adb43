// A test that reads or writes a date or a file time runs on the system clock
// (no SOURCE_DATE_EPOCH) and carries the ctest label "clock", under which the
// faked-clock runs pick it: tests/CMakeLists.txt takes the names of these
// tests from the test sources, so a renamed test keeps its label.
//
//   CLOCK_TEST_F(FilesTest, TimesAndSettings) { ... }
//
// The macro starts its line and holds both names on it.
#pragma once
#include <gtest/gtest.h>

#define CLOCK_TEST(suite, name) TEST(suite, name)
#define CLOCK_TEST_F(fixture, name) TEST_F(fixture, name)
