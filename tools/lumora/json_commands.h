// The lumora commands with --json: the same work as their text forms, the
// answer as one JSON document on stdout (tools/json_output.h). Each returns
// the command's exit status; failures go through Fail, which writes the
// error document.
#pragma once

#include "tools/cli_args.h"
#include "tools/json_output.h"
#include "tools/lumora/win_camera.h"

namespace lumora::tool {

// The camera as the documents show it.
json::ListedCamera Listed(const Camera& camera);

int ListJson();
int ReportJson(const cli::Invocation& inv);
int GetJson(const cli::Invocation& inv);

}  // namespace lumora::tool
