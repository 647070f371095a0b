#pragma once
// QuillTPU: the small free routines every tool uses. Texts are UTF-8 except
// where behaviour depends on UTF-16 code units (the generator's fill text).
// This umbrella brings in every part; a file that needs one part may include
// just that header.
#include "util/Drives.h"
#include "util/Format.h"
#include "util/LeftoverStatus.h"
#include "util/Messages.h"
#include "util/Paths.h"
#include "util/Presenter.h"
#include "util/Random.h"
