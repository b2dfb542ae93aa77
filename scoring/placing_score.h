// The placing score of one contestant placing against a class's official
// placing and cuts.
#pragma once

// Placing: four decimal digits, each an item 1..4; the thousands digit is the
// item placed first, then hundreds, tens, units (3142: item 3 first, then 1,
// 4, 2). A contestant placing may also be 0, meaning "no placing".
// Cuts: three decimal digits, the hundreds digit the cut between the official
// first and second (top pair), tens second/third (middle), units third/fourth
// (bottom): 253 is top 2, middle 5, bottom 3.
//
// Returns 50 less, for every pair of items the contestant put in the wrong
// order, the sum of the cuts lying between their official positions; a full
// reversal costs 3*T + 4*M + 3*B. The total is clamped to 0..50 only at the
// end (the running total may dip below 0); it is 0 for a contestant placing
// of 0. Negative cuts are not refused, but cannot lift a score past 50.
// Inputs are not validated: a digit absent from the official placing takes
// part in no pair, and the first position and the top cut are whole
// quotients (12345 has first position 12, cuts 1234 a top cut of 12).
// Pure, constant time, no allocation, cannot fail.
int score_placing(int contestant_placing, int official_placing, int cuts);
