#pragma once
// The version text the client publishes (read-only).
const char *EngineVersionText();
