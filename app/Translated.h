#pragma once

#include "core/Message.h"

#include <QString>

// A message of the calibration core (a reason, a refusal, a notice: core/Message.h) in the
// language the program speaks: each template translated in its context, the data (figures as
// the core wrote them, file, sample and method names) put in as they are. With no translation
// installed it is the core's Russian text, byte for byte.
QString Translated(const core::Message& message);
