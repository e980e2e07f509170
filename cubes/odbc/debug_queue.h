#pragma once
// debugQueue: a developer's window that shows any queue as a list, one column per field, and
// saves it as a ";" separated or a fixed-width text file.
#include <string_view>

#include "runtime/data/queue.h"

// Shows the queue modally on the calling thread. Of the option bytes the second chooses the
// save format (1 ";" separated, 2 fixed width) and the fifth asks for record numbers; the texts
// are not used. Nothing happens once "&Ignorar" was pressed in this run.
void debugQueue(const rt::QueueBase& queue, rt::Byte option1, rt::Byte format, rt::Byte option3, rt::Byte option4,
                rt::Byte recordNumbers, std::string_view text1 = {}, std::string_view text2 = {},
                std::string_view text3 = {});

// Writes the queue to a file: format 1 ";" separated, 2 fixed width. An empty file name asks
// for one (the chosen filter then decides the format). Separator and quote default to ";" and
// the double quote. 0 when nothing was written, else 1.
int SaveQueueToFile(const rt::QueueBase& queue, rt::Byte unused1, rt::Byte format, rt::Byte unused2, rt::Byte unused3,
                    rt::Byte recordNumbers, std::string_view fileName, std::string_view separator,
                    std::string_view quote);

// The window opens again and forgets its last position (tests).
void resetDebugQueue();
