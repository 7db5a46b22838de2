// The shared model as a document: who listens hears every value set, once
// per kind and after the action when it is batched, and the switches read as
// yes/no and named choices over the small numbers the growth keeps.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/model_document.h"

using namespace ammonite;
using Change = ModelDocument::Change;

namespace {

struct Heard {
    std::vector<Change> changes;
    std::vector<const void*> by;
    ModelDocument::Subscription subscription;
    explicit Heard(ModelDocument& d) {
        subscription = d.listen([this](Change what, const void* who) {
            changes.push_back(what);
            by.push_back(who);
        });
    }
};

}  // namespace

TEST(ModelDocument, ListenersHearEachValueSetAtOnceWithWhoSetIt) {
    auto state = std::make_unique<ModelState>();
    ModelDocument doc(*state);
    Heard heard(doc);
    const int window = 0;
    doc.setDrawScale(3, &window);
    ASSERT_EQ(heard.changes, std::vector<Change>{Change::DrawScale});
    EXPECT_EQ(heard.by[0], &window);
    EXPECT_DOUBLE_EQ(state->drawScale, 3);
    doc.setDensity(1, 1.2);
    doc.setViewVector({0, 1, 0});
    EXPECT_EQ(heard.changes, (std::vector<Change>{Change::DrawScale, Change::Densities, Change::View}));
    EXPECT_EQ(heard.by[1], nullptr);
    EXPECT_DOUBLE_EQ(state->densities[1], 1.2);
    EXPECT_EQ(doc.revision(), 3u);
    EXPECT_THROW(doc.setDensity(2, 1), std::out_of_range);
}

TEST(ModelDocument, ABatchTellsEachKindOnceWhenTheOutermostEnds) {
    auto state = std::make_unique<ModelState>();
    ModelDocument doc(*state);
    Heard heard(doc);
    {
        ModelDocument::Batch action(doc);
        doc.setOriginX(100);
        {
            ModelDocument::Batch nested(doc);
            doc.setOriginY(200);
            doc.setRibbing(true);
        }
        EXPECT_TRUE(heard.changes.empty());  // nothing half done is heard
        doc.setOriginX(300);
    }
    EXPECT_EQ(heard.changes, (std::vector<Change>{Change::Origin, Change::Switches}));
    EXPECT_DOUBLE_EQ(state->originX, 300);
    EXPECT_EQ(doc.revision(), 4u);  // every value set counts
}

TEST(ModelDocument, WhatAListenerSetsIsHeardAfterTheBatchAndAStoppedListenerHearsNothing) {
    auto state = std::make_unique<ModelState>();
    ModelDocument doc(*state);
    std::vector<Change> order;
    auto echo = doc.listen([&](Change what, const void*) {
        order.push_back(what);
        if (what == Change::DrawScale) doc.announce(Change::Run);
    });
    {
        ModelDocument::Batch action(doc);
        doc.setDrawScale(2);
        doc.setGrowthIncrement(0.5f);
    }
    EXPECT_EQ(order, (std::vector<Change>{Change::DrawScale, Change::GrowthIncrement, Change::Run}));
    echo.reset();
    doc.setDrawScale(4);
    EXPECT_EQ(order.size(), 3u);

    // A subscription may outlive its document.
    ModelDocument::Subscription late;
    {
        ModelDocument gone(*state);
        late = gone.listen([](Change, const void*) {});
    }
    late.reset();
}

TEST(ModelDocument, SwitchesAndChoicesReadAsYesNoAndNamedChoices) {
    auto state = std::make_unique<ModelState>();
    ModelDocument doc(*state);
    doc.setRibbing(true);
    EXPECT_EQ(state->ribbingOn, 1);
    EXPECT_TRUE(doc.ribbing());
    doc.setLifeOrientation(true);
    EXPECT_EQ(state->orientationMode, 2);
    EXPECT_TRUE(doc.lifeOrientation());
    // Switched off, the held life turn goes with it.
    state->orientationCos = 0.5;
    state->orientationSin = 0.8;
    doc.setLifeOrientation(false);
    EXPECT_EQ(state->orientationMode, 0);
    EXPECT_EQ(doc.orientation(), OrientationMode::Fixed);
    EXPECT_EQ(state->orientationCos, 1);
    EXPECT_EQ(state->orientationSin, 0);
    doc.setReferStage(ReferStage::Final);
    EXPECT_EQ(state->referStage, 1);
    EXPECT_EQ(doc.referStage(), ReferStage::Final);
    // The profile file's own numbers read as the switches they hold.
    state->regulatedGrowth = 1;
    EXPECT_TRUE(doc.regulatedGrowth());
    EXPECT_FALSE(doc.profileWindowOpened());
    doc.setProfileWindowOpened(true);
    EXPECT_EQ(state->profileWindowOpened, 1);
}
