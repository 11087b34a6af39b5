#pragma once

// What an app may call: the only symbols the library exports. Everything else is built with
// hidden visibility and stays internal, also when the layers are linked into one library.
#define QOR_EXPORT __attribute__((visibility("default")))
