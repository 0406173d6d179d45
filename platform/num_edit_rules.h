#pragma once
// The shape a numeric edit field accepts, and the test of a candidate text
// (the field's text with the selection replaced by what is typed or pasted).
#include <string>

struct NumEditShape {
  int mode = 0;            // 0 text, 1 integer, 2 decimal
  int integerDigits = 0;   // modes 1-2: most digits before the point; mode 0: most characters; 0 = no limit
  int fractionDigits = 0;  // mode 2: most digits after the point; 0 = no limit
  int signAllowed = 1;     // a leading "+" or "-" is accepted
};

// Text limit of the field in characters; 0 for none.
int NumEditTextLimit(const NumEditShape& shape);
// True when the candidate (UTF-8) is a valid, possibly partial, number of the
// shape; blanks, tabs and line breaks at its ends are ignored in modes 1-2.
bool NumEditAccepts(const NumEditShape& shape, const std::string& candidate);
// Current text with [selStart, selEnd) (characters) replaced by inserted.
std::string NumEditCandidate(const std::string& text, long selStart, long selEnd, const std::string& inserted);
