# The one check of the texts a user reads: they come from the language modules, never from a
# literal in the code. One rule over every C++ file of the tree (build folders left out):
# - no Qt translation call (tr(...)) anywhere, tests included: Qt's translations are not used;
# - outside tests/, no literal holding a word in any argument of a call that hands text to a
#   window, button, label, menu, action, list, tab, status bar, file dialog or message box (the
#   suite's and Qt's), also where the call runs over several lines; such texts are the program's
#   strings (ControlText, LoadResourceString). A literal inside another call among the arguments
#   (a key looked up, a number formatted) is that call's business.
#
# cmake -DSOURCE_DIR=<tree> [-DBINARY_DIR=<build tree to leave out>] -P QeltaTextCheck.cmake
# cmake -DSELF_TEST=<scratch folder> -P QeltaTextCheck.cmake   (the rule on planted files)
cmake_minimum_required(VERSION 3.20)

set(text_calls "addMenu|addAction|addItem|addItems|insertItem|setWindowTitle|setText|setToolTip|setStatusTip|"
               "setWhatsThis|setTitle|setPlaceholderText|setHeaderLabel|setHeaderLabels|setAccessibleName|"
               "setLabelText|QLabel|QPushButton|QToolButton|QCheckBox|QRadioButton|QGroupBox|QAction|QMenu|"
               "addTab|insertTab|setTabText|setTabToolTip|setItemText|showMessage|"
               "MessageBox|AfxMessageBox|Message|QMessageBox::warning|QMessageBox::information|"
               "QMessageBox::critical|QMessageBox::question|QMessageBox::about|QMessageBox|"
               "OpenFile|BrowseForFolder|getOpenFileName|getOpenFileNames|getSaveFileName|getExistingDirectory")
string(JOIN "" text_calls ${text_calls})
set(text_wrappers "QStringLiteral|QString::fromUtf8|QString::fromLatin1|QLatin1String|QString|std::string|tr")
set(translation_rule "(^|[^A-Za-z0-9_])tr[ \t]*\\(")
# An argument: anything but brackets and quotes, a literal, or a call with its own arguments (two
# levels deep), so that the rule sees the call's own arguments to its closing bracket.
set(argument "[^()\"]|\"[^\"]*\"|\\(([^()\"]|\"[^\"]*\"|\\([^()]*\\))*\\)")
set(literal_rule
    "(^|[^A-Za-z0-9_])(${text_calls})[ \t]*\\((${argument})*((${text_wrappers})[ \t]*\\()?\"[^\"]*[A-Za-z][A-Za-z][^\"]*\"")
set(call_rule "(^|[^A-Za-z0-9_])(${text_calls})[ \t]*\\(")

# Every line of the C++ files below folder (skip: a folder left out) that breaks the rule, as
# "file:number: line" (the line without its semicolons and brackets, which CMake lists take), into
# out; a call over several lines is reported at the line it begins.
function(qelta_text_findings folder skip out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${folder}/*.cpp" "${folder}/*.h")
  set(findings)
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name "${folder}" "${file}")
    if(name MATCHES "^(build[^/]*|\\.git)/" OR (skip AND file MATCHES "^${skip}/"))
      continue()
    endif()
    set(quick "${translation_rule}")
    set(literals FALSE)
    if(NOT name MATCHES "(^|/)tests/")
      set(quick "${translation_rule}|${call_rule}")
      set(literals TRUE)
    endif()
    # A quick look first; only a file with a call of interest is read whole.
    file(STRINGS "${file}" hits ENCODING UTF-8 REGEX "${quick}")
    if(NOT hits)
      continue()
    endif()
    file(READ "${file}" content)
    string(REPLACE ";" "" content "${content}")
    string(REPLACE "[" "(" content "${content}")
    string(REPLACE "]" ")" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(line MATCHES "${translation_rule}")
        string(STRIP "${line}" line)
        list(APPEND findings "${name}:${number}: ${line}")
      endif()
    endforeach()
    if(NOT literals)
      continue()
    endif()
    # The calls with a literal, each from its name to the end of that literal, in the whole text.
    set(rest "${content}")
    set(offset 0)
    while(TRUE)
      string(REGEX MATCH "${literal_rule}" hit "${rest}")
      if(hit STREQUAL "")
        break()
      endif()
      string(FIND "${rest}" "${hit}" at)
      math(EXPR start "${offset} + ${at}")
      string(SUBSTRING "${content}" 0 ${start} before)
      string(REGEX MATCHALL "\n" breaks "${before}")
      list(LENGTH breaks index)
      if(hit MATCHES "^\n")
        math(EXPR index "${index} + 1")
      endif()
      list(GET lines ${index} line)
      string(STRIP "${line}" line)
      math(EXPR number "${index} + 1")
      list(APPEND findings "${name}:${number}: ${line}")
      string(LENGTH "${hit}" length)
      math(EXPR next "${at} + ${length}")
      string(SUBSTRING "${rest}" ${next} -1 rest)
      math(EXPR offset "${offset} + ${next}")
    endwhile()
  endforeach()
  list(REMOVE_DUPLICATES findings)
  set(${out} "${findings}" PARENT_SCOPE)
endfunction()

if(SELF_TEST)
  # Planted files: what the rule must find and what it must leave alone.
  file(REMOVE_RECURSE "${SELF_TEST}")
  file(WRITE "${SELF_TEST}/app/a.cpp" [[
    button->setText(tr("Send"));
    auto* label = new QLabel(QStringLiteral("Cover sheet"), this);
    action->setToolTip("Zoom");
    setWindowTitle(ControlText(IDD_FONT, 0));
    combo->addItem(QString::number(12));
    menu->addAction(QStringLiteral("&%1 %2").arg(1).arg(name));
    m_strTitle = "Title";
    std::string attr("value");
    MessageBox("Clipboard cannot be opened.", caption, MB_ICONEXCLAMATION);
    QMessageBox::warning(this, "Title", "Some text");
    tabs->addTab(page, "Settings");
    tabs->setTabText(1, QStringLiteral("General"));
    combo->setItemText(0, std::string("None"));
    statusBar()->showMessage(
        QString::fromUtf8("Ready"), 2000);
    m_prompter.MessageBox(LoadResourceString(IDS_SAVED), Text(list, "Strings", "Caption"), MB_OK);
    prompter.MessageBox(text, caption, MB_OK | MB_ICONWARNING);
    Show(nullptr, title, Text(list, "TelFileDelete", "TelDel1") + "\n\n" + message, kBoxOk);
    if (m_prompter.MessageBox(LoadResourceString(IDS_REGISTER), LoadResourceString(IDS_TITLE),
                              MB_OKCANCEL) == IDOK)
        Log("done");
    AfxMessageBox(IDS_NUMBER, MB_OK);
    Message(
        "Save current page.", MB_ICONINFORMATION);
]])
  file(WRITE "${SELF_TEST}/app/tests/a_test.cpp" [[
    EXPECT_EQ(button->text(), QStringLiteral("Send"));
    dialog.setWindowTitle("Test window");
    prompter.MessageBox("Test text", "Test", MB_OK);
    QObject::tr("Left behind");
]])
  file(WRITE "${SELF_TEST}/build/moc_a.cpp" [[ label->setText(tr("Generated")); ]])
  qelta_text_findings("${SELF_TEST}" "" findings)
  set(expected
    [[app/a.cpp:1: button->setText(tr("Send"))]]
    [[app/a.cpp:2: auto* label = new QLabel(QStringLiteral("Cover sheet"), this)]]
    [[app/a.cpp:3: action->setToolTip("Zoom")]]
    [[app/a.cpp:9: MessageBox("Clipboard cannot be opened.", caption, MB_ICONEXCLAMATION)]]
    [[app/a.cpp:10: QMessageBox::warning(this, "Title", "Some text")]]
    [[app/a.cpp:11: tabs->addTab(page, "Settings")]]
    [[app/a.cpp:12: tabs->setTabText(1, QStringLiteral("General"))]]
    [[app/a.cpp:13: combo->setItemText(0, std::string("None"))]]
    [[app/a.cpp:14: statusBar()->showMessage(]]
    [[app/a.cpp:23: Message(]]
    [[app/tests/a_test.cpp:4: QObject::tr("Left behind")]])
  list(SORT findings)
  list(SORT expected)
  if(NOT findings STREQUAL expected)
    string(REPLACE ";" "\n  " findings "${findings}")
    message(FATAL_ERROR "The text rule found:\n  ${findings}")
  endif()
  file(REMOVE_RECURSE "${SELF_TEST}")
  return()
endif()

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "QeltaTextCheck.cmake: SOURCE_DIR is required")
endif()
qelta_text_findings("${SOURCE_DIR}" "${BINARY_DIR}" findings)
if(findings)
  list(LENGTH findings count)
  string(REPLACE ";" "\n  " findings "${findings}")
  message(FATAL_ERROR "${count} texts outside the language modules:\n  ${findings}")
endif()
