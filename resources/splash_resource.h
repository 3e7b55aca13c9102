// Resource identifiers of the splash library.
#pragma once

// The splash window's dialog template.
#define SPLASH_DIALOG 209
