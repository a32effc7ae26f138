/* Reference sequences reproduced bit for bit, shared by the C and C++ tests. Both use the bank's
 * default parameters (30 Hz, minCutOff 1, beta 0.007, dCutOff 1); timestamps are in
 * milliseconds. */

#ifndef PELTO_TESTS_GOLDEN_H
#define PELTO_TESTS_GOLDEN_H

// C and C++ alike: the C headers and typedefs stay.
// NOLINTBEGIN(modernize-deprecated-headers, modernize-use-using, modernize-avoid-c-arrays)
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* One filter, one channel. */
typedef struct pelto_golden_sample {
    double value;
    int64_t timestamp;
    double expected;
} pelto_golden_sample;

static const pelto_golden_sample PELTO_GOLDEN[4] = {{10.0, 0, 10.0},
                                                    {20.0, 33, 12.205030965084358},
                                                    {20.0, 66, 13.8617789415347},
                                                    {25.0, 100, 16.46790389841297}};

/* A two-channel bank: a repeated timestamp resets it, 99.9 truncates to 99, and a sample of the
 * wrong length is refused. */
typedef struct pelto_golden_step {
    double timestamp;
    double sample[2];
    size_t count;
    bool accepted;
    double after[2];
} pelto_golden_step;

static const pelto_golden_step PELTO_GOLDEN_BANK[6] = {
    {0.0, {10.0, 5.0}, 2, true, {10.0, 5.0}},
    {33.0, {20.0, 5.0}, 2, true, {12.205030965084358, 5.0}},
    {33.0, {21.0, 5.0}, 2, false, {0.0, 0.0}},
    {66.0, {22.0, 6.0}, 2, true, {22.0, 6.0}},
    {99.9, {23.0, 7.0}, 2, true, {22.176885954680756, 6.176885954680758}},
    {120.0, {1.0, 0.0}, 1, false, {22.176885954680756, 6.176885954680758}},
};

// NOLINTEND(modernize-deprecated-headers, modernize-use-using, modernize-avoid-c-arrays)

#endif
