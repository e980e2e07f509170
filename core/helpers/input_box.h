#pragma once
// The modal input box that asks for one value (parameter prompts of queries and cubes).
#include <string>
#include <string_view>

// Control numbers of the input box (for tests through the display).
enum InputBoxControl { INPUTBOX_MESSAGE = 1, INPUTBOX_PROMPT, INPUTBOX_ENTRY, INPUTBOX_OK, INPUTBOX_CANCEL };

// Window "Input Box" with a message area, a prompt and an entry of 100 characters. Options not
// 0: hideMessage empties the message and moves the entry to the middle, keepCaption keeps the
// title "Input Box" instead of the caption, hidePrompt empties the prompt and widens the entry,
// noValue starts the entry empty instead of with value. "&OK" with a blank entry beeps and
// stays; otherwise it returns the clipped entry. "&Cancel" or closing returns "".
std::string InputBox(std::string_view value, std::string_view prompt, std::string_view caption,
                     std::string_view message, int hideMessage = 0, int keepCaption = 0, int hidePrompt = 0,
                     int noValue = 0);
