#pragma once

// What a writer does when its destination name is taken.
enum class ExistingOutput {
    kReplace,  // an existing file under the destination name is replaced
    kKeep,     // an existing entry under the destination name makes the write fail
};
