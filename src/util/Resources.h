#pragma once

// Registers the pictures built into the core library (the placeholder
// thumbnail, the application icon). A static library's resources are only
// linked in when something asks for them; idempotent.
void initVeltraneResources();
