// SHELL32 of the stand-in: ShellExecuteA opens nothing; it records what it was asked.
#include <shellapi.h>

#include "platform/standin/StandInState.h"

namespace {
std::optional<std::string> text(LPCSTR value) {
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}
} // namespace

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand) {
    standin::test::ShellCall call;
    call.owner = owner;
    call.operation = text(operation);
    call.file = text(file);
    call.parameters = text(parameters);
    call.directory = text(directory);
    call.showCommand = showCommand;
    standin::detail::state().shellCalls.push_back(call);
    // Values above 32 mean success.
    return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(42));
}
