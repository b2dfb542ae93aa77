// The four commands behind the phone cards. Arguments, as a FieldList:
// the look-ups get contestant number, class id; the writes get the phone's
// address (the socket's peer, put first by the card server), contestant
// number, class id, placing or reasons score. Further fields are ignored.
// Every write, stored or refused, is recorded in the card log.
//
// The card API is open to the whole contest network, so every field is
// checked as the card pages write it: contestant and class are digits without
// a leading zero within 32 bits, a placing is "0" or the digits 1 to 4 each
// once, a reasons score is 0 to 50 without sign or leading zero. A field that
// fails makes a write answer "false" and a look-up answer
// "ERROR:A number in this request is not valid.", touching nothing.
#pragma once
#include <string>
#include <vector>

// Contestant name, U+001F, class name; an unknown number gives an empty name.
// "ERROR:A contest is not open." without a contest.
std::string fetch_card_names(const std::string& fields);
// As fetch_card_names, plus the stored placing (empty when none).
std::string fetch_card_names_and_placing(const std::string& fields);
// Address, contestant, class, placing. Inserts the placing once per
// contestant and class: "true", else "false" (a second submission, unknown
// numbers, no contest, a field that fails, a file that cannot be written).
// With a contest open the write is logged in the same transaction, so
// "true" means both the placing and its log row are in the file.
std::string save_card_placing(const std::string& argument);
// Address, contestant, class, reasons score. Sets the reasons score of an
// existing placing that has none yet: "true" only when a row changed, else
// "false"; logged as save_card_placing.
std::string save_card_reasons(const std::string& argument);

// Batches of the two writes, for card requests that waited in the queue one
// behind the other: one answer per argument, each exactly what the single
// command would have answered had they run in turn, and all of them stored
// and logged in one transaction. When that transaction fails part-way (a
// full disk), nothing of it is kept and each write runs again on its own.
std::vector<std::string> save_card_placing_batch(const std::vector<std::string>& arguments);
std::vector<std::string> save_card_reasons_batch(const std::vector<std::string>& arguments);
