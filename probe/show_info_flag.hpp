#pragma once

// Set by the entry in dialog mode with show_info, before anything is probed: the shader probe then
// shows a failed compile, and the dialog shows the detailed network error.
extern bool gShowInfo;
