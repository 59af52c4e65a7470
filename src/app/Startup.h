#pragma once

// The modules' start-up registrations: event and value types, and the
// component classes that stored layouts build by name.
void RegisterModules();

// Rendering contexts are chosen before the Qt application exists.
void PrepareSurfaceFormat();
