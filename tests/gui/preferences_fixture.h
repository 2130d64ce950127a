// A Preferences dialog over a fresh Settings record whose config.ini lies in a temporary folder,
// with scripted message boxes and choosers, and helpers that work its controls by name.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/settings_file.h"
#include "core/settings.h"
#include "gui/preferences_controls.h"
#include "gui/preferences_dialog.h"
#include "gui/preferences_pages.h"
#include "gui/theme.h"
#include "scripted_boxes.h"
#include "scripted_choosers.h"

namespace qm::gui::test {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ResetSettings(0);
        Settings.ConfigPath = (m_dir.path() + "/config.ini").toStdString();
        PreferencesStartPage = 0;
        InterfaceReload = 0;
        ThemeList.clear();
    }
    void TearDown() override {
        if (dialog)
            delete dialog.data();
        ResetSettings(0);
        Settings.ConfigPath.clear();
        ThemeList.clear();
    }

    /// Opens the dialog; the apply step counts its runs and keeps InterfaceReload.
    void Open() {
        dialog = ShowPreferences(nullptr, [this] {
            ++applied;
            reloadSeen = InterfaceReload;
            InterfaceReload = 0;
        });
        ASSERT_TRUE(dialog);
    }

    template <class T> T* Find(const QString& name) const {
        T* widget = dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    void Choose(const QString& name, int index) { Find<QComboBox>(name)->setCurrentIndex(index); }
    void Tick(const QString& name, bool on) {
        QCheckBox* check = Find<QCheckBox>(name);
        if (check->isChecked() != on)
            check->click();
    }
    void SetNumber(const QString& name, const QString& digits) {
        QLineEdit* field = Find<NumberUnit>(name)->Field();
        field->clear();
        QTest::keyClicks(field, digits);
    }
    void SetSlider(const QString& name, int value) {
        Find<SliderSpin>(name)->Slider()->setValue(value);
    }
    /// Types into a spin box over its whole text.
    void TypeSpin(const QString& name, const QString& text) {
        StepSpin* spin = Find<SliderSpin>(name)->Spin();
        spin->selectAll();
        QTest::keyClicks(spin, text);
    }
    void PressOk() { dialog->OkButton()->click(); }

    QTemporaryDir m_dir;
    ScriptedBoxes boxes;
    ScriptedChoosers choosers;
    QPointer<PreferencesDialog> dialog;
    int applied = 0;
    int reloadSeen = -1;
};

} // namespace qm::gui::test
