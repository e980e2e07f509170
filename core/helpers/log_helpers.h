#pragma once
// Appending lines to log files and the trace output.
#include <functional>
#include <string>
#include <string_view>

// Appends one line to a text file. Result: 0 written, 1 cannot open or create, 2 short write,
// 4 cannot move to the end, 3 cannot close. lineEndFlag != 0 or endFlag == 1 ends the line with
// CR LF, except a line that is a single form feed. deviceFlag != 0 writes to the print settings'
// device (none here: result 1). Safe to call from several threads at once.
int AppendLogLine(std::string_view file, std::string_view line, int deviceFlag = 0, int endFlag = 0,
                  int lineEndFlag = 1);

// When the trace switch is on, writes "[VOQKivorant]- " and the clipped text (1,023 characters
// at most) to the trace output.
void DebugTrace(std::string_view text);

// The switch DebugTrace reads (the program's GLO:Trace); off until set.
void SetDebugTraceSwitch(std::function<bool()> isOn);
