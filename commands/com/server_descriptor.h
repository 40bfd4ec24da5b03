#pragma once

#include <memory>
#include <span>

#include "commands/com/com_prelude.h"
#include "commands/command.h"

namespace velorin::com {

// Makes the portable command object behind one COM object. May throw.
using CommandMaker = std::unique_ptr<commands::Command> (*)();

// One creatable class of the library. The GUIDs are references to the
// constants generated from velorin.idl, so the descriptor cannot drift from the
// type library.
struct ClassDescriptor {
    const CLSID& classId;
    // The class's default (dual, memberless) interface.
    const IID& defaultInterfaceId;
    // The class name; its ProgID is the library name, a dot and this name.
    const wchar_t* className;
    CommandMaker makeCommand;
};

// Everything the generic in-process server support needs to know about a
// library: its name, type library, classes and threading model.
struct ServerDescriptor {
    const wchar_t* libraryName;
    const GUID& typeLibraryId;
    WORD typeLibraryMajor;
    WORD typeLibraryMinor;
    LCID typeLibraryLocale;
    // The registry's ThreadingModel value, e.g. "Apartment".
    const wchar_t* threadingModel;
    std::span<const ClassDescriptor> classes;
};

}  // namespace velorin::com
