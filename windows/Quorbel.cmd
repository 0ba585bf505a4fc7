@echo off
rem Starts quorbel.exe for a double-click: in this launcher's folder, where
rem the templates and the input lie, whatever the folder is called, and
rem keeps the window open until a key is pressed, so that "Finished!" or
rem the report of what went wrong stays readable. The exit code is the
rem program's.
setlocal
rem pushd, unlike cd, also enters a network folder (through a drive letter
rem it lends for the while). The launcher itself is there once it has.
pushd "%~dp0"
if not exist "%~nx0" goto :noFolder
.\quorbel.exe
set "status=%errorlevel%"
echo.
pause
exit /b %status%

:noFolder
pause
exit /b 1
