// orven-cli lsp: the language server (app/lsp/server.h) on standard input and output, until
// the client says exit, closes the input or its process ends.
#pragma once

#include <span>

#include "base/platform.h"

namespace orven::lsp {

// The arguments after "lsp"; the exit status.
int run_language_server(std::span<const platform::Argument> args);

}  // namespace orven::lsp
