// The command table as the box sees it: what each command byte takes and answers.
#pragma once

#include <string_view>

namespace tester_sim {

struct box_command {
    std::string_view name;  // the operation's name
    unsigned char code;
    bool echoed;      // every command but Get_ID
    int param_bytes;  // taken after the echo, not echoed
    int reply_bytes;  // sent after the parameter bytes, most significant first
};

// nullptr when the byte is not a command of the box.
const box_command *find_command(unsigned char code);

// By operation name, ignoring case; nullptr when there is none.
const box_command *find_command(std::string_view name);

// True for the four word commands, whose first parameter byte is a word index.
bool is_word_command(unsigned char code);

}  // namespace tester_sim
