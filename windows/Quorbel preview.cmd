@echo off
rem Shows what a run of Quorbel.cmd in this folder would do: the preview of
rem the input file dropped on this launcher or, after a double-click, of
rem the one named at its question (Enter alone: the templates only). The
rem window stays open until a key is pressed. The exit code is the
rem preview's: 0 nothing warned, 1 warnings, 2 the run would fail.
setlocal
pushd "%~dp0"
if not exist "%~nx0" goto :noFolder
set "input=%~1"
if defined input goto :preview
set /p "input=Input file to preview (Enter alone: the templates only): "
if not defined input goto :templates
rem A file dragged into the window arrives in quotes. (An empty answer
rem leaves the name defined but empty under Wine: this clears it.)
set "input=%input:"=%"
if not defined input goto :templates

:preview
rem A name that starts with "-" would be taken for an option.
if "%input:~0,1%"=="-" set "input=.\%input%"
.\quorbel-preview.exe "%input%"
goto :done

:templates
.\quorbel-preview.exe

:done
set "status=%errorlevel%"
echo.
pause
exit /b %status%

:noFolder
pause
exit /b 1
