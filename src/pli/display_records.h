// $traxDisplay("format", args... [,tag]): formats its arguments like
// $display and records the text as a string value, at the present time, on
// a variable named by the tag (default "Tavri_Display") in the scope of the
// calling instance. The texts a variable gets within one time step are
// joined, so its value at the end of the step holds all of them.
//
// Texts are cut, never refused: the text of one call, and the text joined
// for one variable in one time step, keep their first kDisplayTextMax
// characters; a call whose text finds the step's text full records nothing.
#ifndef TAVRI_PLI_DISPLAY_RECORDS_H
#define TAVRI_PLI_DISPLAY_RECORDS_H

#include <cstddef>

namespace tavri::pli {

constexpr size_t kDisplayTextMax = 127;
constexpr const char *kDefaultDisplayTag = "Tavri_Display";

int plicompileDisplay(int data, int reason);
int plitaskDisplay(int data, int reason);

// A simple identifier (a letter or _, then letters, digits, _ or $), or an
// escaped one (a backslash and at least one character; a blank only last).
bool IsValidDisplayTag(const char *tag);

// Writes each display variable's last text into the current file again
// (after a file switch); only while dumping is on.
void RewriteDisplayTexts();
// Forgets the last texts (the files are closed).
void DropDisplayTexts();
// Forgets the display variables and step texts: the next call creates its
// variables anew.
void FreeDisplayTables();

}  // namespace tavri::pli

#endif
