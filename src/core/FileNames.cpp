#include "core/FileNames.h"

#include "core/ConsoleState.h"

std::string usersFolderFor(int demoStatus) {
    return demoStatus <= 1 ? "./users/" : "";
}

std::string normalizeFileName(ConsoleState& state, const std::string& scratchName) {
    state.lastNameIndex = normalizeFileNameInto(scratchName, state.commandBuffer);
    return state.commandBuffer.text();
}
