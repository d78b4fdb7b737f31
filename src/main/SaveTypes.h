#pragma once

#include <string>
#include <vector>

// The file types the save dialog offers and the folder it starts in. No window system
// here, so that the rules can be tested alone.
struct SaveType {
    const char* name;                     // as the dialog lists it: "PNG image"
    std::vector<const char*> extensions;  // lower case with the dot; the first is added
};

// What "Save Image" can write, PNG first; "Save Degrees" writes PNG only.
const std::vector<SaveType>& imageSaveTypes();
const std::vector<SaveType>& degreeSaveTypes();

// `name` with an extension of `type`: kept when it has one, the extension of another
// offered type replaced, and the type's first extension added otherwise.
std::string nameWithTypeExtension(const std::string& name, const SaveType& type, const std::vector<SaveType>& offered);

// The folder a save starts in: the photograph's when it is a writable folder, else the
// last folder saved to (when it still is one), else the pictures folder, else `home`.
std::string saveStartFolder(const std::string& photographFolder, const std::string& lastSavedFolder,
                            const std::string& picturesFolder, const std::string& home);
