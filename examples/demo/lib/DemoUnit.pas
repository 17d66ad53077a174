unit DemoUnit;

interface

function Greeting(const Name: string): string;

implementation

{$MESSAGE WARN 'DemoUnit: Greeting does not check for an empty name'}

function Greeting(const Name: string): string;
begin
  Result := 'Hello, ' + Name + '!';
end;

end.
