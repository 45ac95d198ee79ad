#pragma once

// The pictures built into the window's library (the placeholder thumbnail,
// the application icon). A static library's resources are only linked in
// when something asks for them.
namespace Resources {

// Registers them; idempotent.
void init();

}
