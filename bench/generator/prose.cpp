#include "generator/prose.h"

#include <array>

namespace {

constexpr std::array kFirstNames { u"Anna", u"Ben", u"Chloé", u"David", u"Elena", u"Farid", u"Grace", u"Hiro", u"Ines",
    u"Jonas", u"Kateřina", u"Liam", u"Maya", u"Noah", u"Olga", u"Pablo", u"Quinn", u"Rosa", u"Sven", u"Tara", u"Umar",
    u"Vera", u"Wen", u"Yusuf", u"Zoë" };
constexpr std::array kLastNames { u"Andersen", u"Brooks", u"Costa", u"Dubois", u"Eriksen", u"Fischer", u"García",
    u"Huber", u"Ito", u"Jensen", u"Kowalski", u"Larsen", u"Müller", u"Novak", u"Okafor", u"Petrov", u"Quintero",
    u"Rossi", u"Schmidt", u"Tanaka", u"Urban", u"Virtanen", u"Weber", u"Yilmaz", u"Zhang" };
constexpr std::array kProjects { u"Atlas", u"Blue Harbor", u"Cedar", u"Driftwood", u"Ember", u"Fjord", u"Granite",
    u"Helios", u"Iris", u"Juniper", u"Kestrel", u"Lantern", u"Meridian", u"Nimbus", u"Orchard", u"Pioneer", u"Quarry",
    u"Redwood", u"Summit", u"Tidewater" };
constexpr std::array kTopics { u"budget", u"minutes", u"roadmap", u"invoice", u"contract", u"proposal", u"report",
    u"schedule", u"checklist", u"estimate", u"itinerary", u"inventory", u"summary", u"timeline", u"receipt", u"agenda",
    u"survey", u"forecast", u"draft", u"plan" };
constexpr std::array kSubjects { u"The team", u"Our landlord", u"The accountant", u"Marketing", u"The client",
    u"The contractor", u"My sister", u"The school", u"Support", u"The bank", u"The design group",
    u"The insurance company" };
constexpr std::array kVerbs { u"confirmed", u"reviewed", u"postponed", u"approved", u"questioned", u"updated",
    u"signed", u"rejected", u"forwarded", u"summarised", u"paid", u"booked" };
constexpr std::array kObjects { u"the quarterly budget", u"the kitchen renovation quote", u"the travel itinerary",
    u"the new office lease", u"the invoice for March", u"the hiring plan", u"the tax documents", u"the product roadmap",
    u"the wedding seating chart", u"the insurance claim", u"the server migration", u"the school trip form",
    u"the garden design", u"the annual report", u"the car service receipt" };
constexpr std::array kTails { u"before the deadline", u"after the meeting on Tuesday", u"without further changes",
    u"with two small corrections", u"by email this morning", u"for the second time", u"once the figures were checked",
    u"at the end of the month", u"over the phone", u"in the shared folder" };
constexpr std::array kFixedSentences {
    u"Please bring the signed forms to the front desk.",
    u"The total amount due is payable within thirty days of the invoice date.",
    u"Remember to back up the photos before the trip.",
    u"Dinner reservations are at seven thirty on Friday.",
    u"The warranty covers parts and labour for two years.",
    u"All measurements are in centimetres unless stated otherwise.",
    u"Call the plumber about the leaking tap in the upstairs bathroom.",
    u"The conference room on the third floor has been booked for the workshop.",
    u"Shipping usually takes three to five working days.",
    u"Passwords must be changed every ninety days.",
};
constexpr std::array kTitleStarts { u"Notes on", u"Summary of", u"Questions about", u"Plan for", u"Review of",
    u"Thoughts on", u"Checklist for", u"Draft of" };

QString from(SeededRandom &random, const auto &list)
{
    return QString::fromUtf16(random.pick(list));
}

} // namespace

namespace Prose {

QString sentence(SeededRandom &random)
{
    if (random.chance(0.25))
        return from(random, kFixedSentences);
    return from(random, kSubjects) + u' ' + from(random, kVerbs) + u' ' + from(random, kObjects) + u' '
        + from(random, kTails) + u'.';
}

QString paragraph(SeededRandom &random, int sentences)
{
    QStringList parts;
    for (int i = 0; i < sentences; ++i)
        parts.append(sentence(random));
    return parts.join(u' ');
}

QString title(SeededRandom &random)
{
    QString object = from(random, kObjects);
    if (random.chance(0.5))
        return from(random, kTitleStarts) + u' ' + object;
    object.remove(0, 4); // "the "
    object[0] = object[0].toUpper();
    return object;
}

QString personName(SeededRandom &random)
{
    return from(random, kFirstNames) + u' ' + from(random, kLastNames);
}

QString projectName(SeededRandom &random)
{
    return from(random, kProjects);
}

QString topic(SeededRandom &random)
{
    return from(random, kTopics);
}

} // namespace Prose
