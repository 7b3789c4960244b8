#include "app/page_registry.h"

void WizardPages::RegisterWith(WizardHostDialog& /*host*/) {}
