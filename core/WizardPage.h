#pragma once

// The wizard's pages, in order.
enum class WizardPage { Config = 0, Meas = 1, Send = 2 };
