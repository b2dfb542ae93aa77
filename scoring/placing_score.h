// The placing score of one contestant placing.
#pragma once

// A placing is four decimal digits, each an item 1..4, the thousands digit
// the item placed first (3142: item 3, then 1, 4, 2); a contestant placing
// may also be 0. Cuts are three digits: hundreds the cut between the official
// first and second, tens second/third, units third/fourth (253: 2, 5, 3).
//
// Returns 50 less, for every pair the contestant put in the wrong order, the
// cuts lying between the two items' official positions, clamped to 0..50;
// 0 for a contestant placing of 0. Pure, constant time, no allocation; the
// inputs are not validated (a digit absent from the official placing takes
// part in no pair).
int score_placing(int contestant_placing, int official_placing, int cuts);
