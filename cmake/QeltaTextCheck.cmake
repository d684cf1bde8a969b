# The one check of the texts a user reads: they come from the language modules, never from a
# literal in the code. One rule over every C++ file of the tree (build folders left out):
# - no Qt translation call (tr(...)) anywhere, tests included: Qt's translations are not used;
# - outside tests/, no literal holding a word handed straight to a window, button, label, menu,
#   action or list; such texts are the program's strings (ControlText, LoadResourceString).
#
# cmake -DSOURCE_DIR=<tree> [-DBINARY_DIR=<build tree to leave out>] -P QeltaTextCheck.cmake
# cmake -DSELF_TEST=<scratch folder> -P QeltaTextCheck.cmake   (the rule on planted files)
cmake_minimum_required(VERSION 3.20)

set(text_calls "addMenu|addAction|addItem|addItems|insertItem|setWindowTitle|setText|setToolTip|setStatusTip|"
               "setWhatsThis|setTitle|setPlaceholderText|setHeaderLabel|setHeaderLabels|setAccessibleName|"
               "setLabelText|QLabel|QPushButton|QToolButton|QCheckBox|QRadioButton|QGroupBox|QAction|QMenu")
string(JOIN "" text_calls ${text_calls})
set(text_wrappers "QStringLiteral|QString::fromUtf8|QString::fromLatin1|QLatin1String|QString|tr")
set(translation_rule "(^|[^A-Za-z0-9_])tr[ \t]*\\(")
set(literal_rule "(^|[^A-Za-z0-9_])(${text_calls})[ \t]*\\(((${text_wrappers})\\()?\"[^\"]*[A-Za-z][A-Za-z]")

# Every line of the C++ files below folder (skip: a folder left out) that breaks the rule, as
# "file:number: line" (the line without its semicolons and brackets, which CMake lists take), into out.
function(qelta_text_findings folder skip out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${folder}/*.cpp" "${folder}/*.h")
  set(findings)
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name "${folder}" "${file}")
    if(name MATCHES "^(build[^/]*|\\.git)/" OR (skip AND file MATCHES "^${skip}/"))
      continue()
    endif()
    set(rule "${translation_rule}")
    if(NOT name MATCHES "(^|/)tests/")
      set(rule "${translation_rule}|${literal_rule}")
    endif()
    # A quick look first; only a file with a finding is read line by line.
    file(STRINGS "${file}" hits ENCODING UTF-8 REGEX "${rule}")
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
      if(line MATCHES "${rule}")
        string(STRIP "${line}" line)
        list(APPEND findings "${name}:${number}: ${line}")
      endif()
    endforeach()
  endforeach()
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
]])
  file(WRITE "${SELF_TEST}/app/tests/a_test.cpp" [[
    EXPECT_EQ(button->text(), QStringLiteral("Send"));
    dialog.setWindowTitle("Test window");
    QObject::tr("Left behind");
]])
  file(WRITE "${SELF_TEST}/build/moc_a.cpp" [[ label->setText(tr("Generated")); ]])
  qelta_text_findings("${SELF_TEST}" "" findings)
  set(expected
    [[app/a.cpp:1: button->setText(tr("Send"))]]
    [[app/a.cpp:2: auto* label = new QLabel(QStringLiteral("Cover sheet"), this)]]
    [[app/a.cpp:3: action->setToolTip("Zoom")]]
    [[app/tests/a_test.cpp:3: QObject::tr("Left behind")]])
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
