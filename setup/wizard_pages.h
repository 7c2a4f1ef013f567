// The wizard's pages in sheet order: each name is the page's index in the property sheet.
#pragma once

enum WizardPageIndex : int {
  WelcomePage,
  LicencePage,
  DestinationPage,
  CopyPage,
  OptionsPage,
  FinishPage,
  WizardPageCount
};
