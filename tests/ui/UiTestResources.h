#pragma once
// Resources of the test executable beyond the add-on's own.

#define IDB_TEST_KEYED 2001  // 3 x 2, 24-bit: exact magenta beside colours one step away from it
