// The property bag's text form on arbitrary text: what parses must format and parse back to the
// same entries, and the control's persisted values are then loaded from it.
#include "fuzz/FuzzSupport.h"
#include "platform/propertybag/TextPropertyBag.h"
#include "player_control/persistence/QXMoviePersist.h"

using namespace qxm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto bag = makeObject<TextPropertyBag>();
    std::string error;
    if (TextPropertyBag::parse(fuzz::asText(data, size), *bag, &error) != S_OK) {
        QXM_FUZZ_CHECK(bag->entries().empty() && !error.empty());
        return 0;
    }
    for (const TextPropertyBag::Entry& e : bag->entries())
        QXM_FUZZ_CHECK(TextPropertyBag::isValidName(e.name));
    auto again = makeObject<TextPropertyBag>();
    QXM_FUZZ_CHECK(TextPropertyBag::parse(bag->format(), *again, &error) == S_OK);
    QXM_FUZZ_CHECK(again->entries() == bag->entries());

    qxmovie::PersistedControl control;
    std::string message;
    if (succeeded(qxmovie::loadFromBag(*bag, control, &message))) {
        // What was loaded saves and loads back unchanged.
        auto saved = makeObject<TextPropertyBag>();
        QXM_FUZZ_CHECK(succeeded(qxmovie::saveToBag(control, *saved, true)));
        qxmovie::PersistedControl reloaded;
        QXM_FUZZ_CHECK(succeeded(qxmovie::loadFromBag(*saved, reloaded, &message)));
        QXM_FUZZ_CHECK(reloaded == control);
    }
    return 0;
}
