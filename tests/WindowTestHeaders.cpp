// Only here to hold the window tests' precompiled headers.
