#pragma once

#include "translation/language_controller.h"

// The translation bundle the application module owns: the controller that every window and
// message of the program reaches.
class TqvlgLanguageComposite {
public:
    TqvlgLanguageComposite();
    virtual ~TqvlgLanguageComposite();
    TqvlgLanguageComposite(const TqvlgLanguageComposite&) = delete;
    TqvlgLanguageComposite& operator=(const TqvlgLanguageComposite&) = delete;

    TqvlgLanguageController& Core() { return FCore; }
    const TqvlgLanguageController& Core() const { return FCore; }

protected:
    TqvlgLanguageController FCore;
};

// The bundle with every window assistant; the assistants join it together with the windows
// they serve.
class TqvlgLanguageCompositeAll : public TqvlgLanguageComposite {
public:
    TqvlgLanguageCompositeAll();
    ~TqvlgLanguageCompositeAll() override;
};
