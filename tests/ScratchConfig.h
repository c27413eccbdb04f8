#pragma once

#include "ConfigTestEnv.h"

#include "config/QuorConfig.h"

// The configuration of a scratch home: the built-in catalogue and nothing of the person's, for
// suites that need a workspace but no settings of their own.
struct ScratchConfig
{
    ConfigTestEnv env;
    QuorConfig config;
};
