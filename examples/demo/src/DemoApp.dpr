program DemoApp;

{$APPTYPE CONSOLE}

uses
  SysUtils,
  DemoUnit; { found through the library path (Default.path) }

{$R *.RES}

{$MESSAGE HINT 'DemoApp: the greeting is made at run time'}

begin
  WriteLn(Greeting('Tesmar'));
end.
