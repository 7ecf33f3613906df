#pragma once
// The page-tab rows as screen readers and other accessibility tools see them: a page tab list whose children are
// the tabs, each with its name, its selected state and a press action that shows its page.

// Installs the interface for every TTabRows; once is enough, later calls do nothing.
void InstallTabRowsAccessibility();
