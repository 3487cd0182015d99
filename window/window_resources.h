// The compiled-in pictures of the window library.
#pragma once

// Registers the resource file; safe to call more than once.
void InitWindowResources();
