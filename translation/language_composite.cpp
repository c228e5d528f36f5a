#include "translation/language_composite.h"

TqvlgLanguageComposite::TqvlgLanguageComposite() = default;
TqvlgLanguageComposite::~TqvlgLanguageComposite() = default;

TqvlgLanguageCompositeAll::TqvlgLanguageCompositeAll() = default;
TqvlgLanguageCompositeAll::~TqvlgLanguageCompositeAll() = default;
